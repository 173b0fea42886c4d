// The organiser's data screen and verbose display, switched off for speed and on again.
#include "ovlib.h"

void ovscreenoff() {
    calltrace(3, "CALL: ovscreenoff ()\n");
    ovcommand("is");
    if (ovquery("XYES")) ovsc();
}

void ovscreenon() {
    calltrace(3, "CALL: ovscreenon ()\n");
    ovcommand("is");
    if (ovquery("XNO")) ovsc();
}

void ovsc() {
    calltrace(3, "CALL: ovsc()\n");
    ovcommand("sc");
    ovreply("XOK");
}

void ovverboseoff() {
    calltrace(3, "CALL: ovverboseoff()\n");
    ovcommand("iv");
    if (ovquery("XYES")) ovvb();
}

void ovverboseon() {
    calltrace(3, "CALL: ovverboseon()\n");
    ovcommand("iv");
    if (ovquery("XNO")) ovvb();
}
