// Turns the progress signals of one HTTP request into the transfer state numbers of the
// message form: 1 resolving, 2 resolved, 3 connecting, 4 connected, 5 sending, 6 sent,
// 7 receiving, 8 received, 11 error, 12 answer complete.
//
// The client goes through the steps in order, so a signal that proves a later step (the
// request was sent) also reports the steps before it that had no signal of their own (a
// reused connection never reports connecting). 9 and 10 (disconnecting) are never reported:
// the client keeps its connection for the next request. After 11 nothing but a later 11 is
// reported, and 12 comes only after an answer with a 2xx status.
#pragma once

#include <functional>

class QNetworkReply;

// Watches reply until it has finished; onState runs on the reply's thread (the
// user-interface thread) for every state. Reports 1 at once.
void WatchTransfer(QNetworkReply *reply, std::function<void(int state)> onState);
