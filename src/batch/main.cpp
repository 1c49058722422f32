// main.cpp - tarvell-batch: the program without a display and without Qt, for timer jobs,
// scripts and servers; the command line and the behaviour of tarvell run headless.
#include "send/BatchRun.h"

int main(int argc, char* argv[])
{
    return RunBatchProgram(argc, argv);
}
