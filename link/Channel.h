#pragma once
// The command channel as the dialogs use it: the receive text (held by the
// monitor dialog), the activity counter, and send-and-wait.
//
// Every exchange with the receiver: clear the receive text, SendAndWait the
// command, then search the receive text for the expected reply.
#include <string>

class TReceiveText;

// The receive text: everything received since it was last cleared.
TReceiveText& RxText();

// The activity counter: one step per receive notification, 0..1000 and
// round again (1000 is shown, 1001 never). The monitor dialog resets it.
extern int RxActivity;
// Adds one, wrapping to 0 past 1000, and returns the new value.
int StepRxActivity();

// Sends text on the main window's port, then waits milliseconds while the
// windows stay responsive and received characters keep arriving. Returns
// the number of bytes sent.
int SendAndWait(const std::string& text, int milliseconds);
