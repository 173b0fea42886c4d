// Whether any command of this run has failed. A command has failed when it reported an error,
// whatever result code its handler returns, so the places that print an error note it here and
// the handlers' codes and the command-file flow stay as they are. The program's exit status in
// a non-interactive run is read from it. Nothing here prints or talks to the organiser.
#pragma once

// Notes that the command now running reported an error. Never fails; safe to call repeatedly.
void notefailure();

// True once notefailure has been called in this run; nothing resets it.
bool anyfailure();
