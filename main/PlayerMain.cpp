// The bare player: what quorvel-pack copies and appends a package to. It
// plays the package it carries and takes no arguments.

#include "main/PlayerProcess.h"

int main(int argc, char** argv)
{
    RunHelperIfAsked(argc, argv);
    return RunPlayerProcess(argc, argv);
}
