// SendCancel.h - a request to end the running send at its next step. The window's 中止 button,
// Escape and the close path set it from the GUI thread while the send runs on another; the socket
// waits and the send procedure check it.
#pragma once

// Asks the running send to stop; the next socket wait fails with NET_EINTR.
void RequestSendCancel();
// Withdraws the request, before a new send command starts.
void ClearSendCancel();
bool SendCancelRequested();
