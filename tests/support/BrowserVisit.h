// BrowserVisit.h - the browser's part of a sign-in test: one request to the loopback redirect,
// and the page it gets back.
#pragma once
#include <string>

// Sends strRequest whole to 127.0.0.1:nPort and reads the reply until the server closes; empty
// when no connection could be made (or the request was refused without a word).
std::string SendToLoopback(int nPort, const std::string& strRequest);

// The same for "GET strPathQuery HTTP/1.1", as a browser sends it.
std::string VisitLoopback(int nPort, const std::string& strPathQuery);
