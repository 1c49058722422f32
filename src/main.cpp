// main.cpp - the program: hands control to the application object.
#include "ui/TarvellApp.h"

int main(int argc, char* argv[])
{
    return CTarvellApp::Run(argc, argv);
}
