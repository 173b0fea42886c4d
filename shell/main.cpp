// The orvel program's entry point; the start-up itself is orvelmain (startup.cpp).
#include "ovmain.h"

int main(int argc, char** argv, char** envp) {
    orvelmain(argc, argv, envp);
}
