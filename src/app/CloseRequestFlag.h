// CloseRequestFlag.h - between CloseRequest.cpp and the platform's handler.
#pragma once

void SetCloseRequestHandler(void (*onClose)());
// Called by the platform's handler for each request.
void NoteCloseRequest();
