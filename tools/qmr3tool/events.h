// qmr3tool events: the event spans of a whole card or of chosen recordings.
#pragma once

// args: what follows "events" on the command line. Returns the exit status.
int runEvents(int argc, char** argv);
