// box_main.cpp: a program around the error box alone, to check that the box builds for Windows.
#include "shell/error_box.h"

int main()
{
    showError("The error box builds for Windows.", 0);
    return 0;
}
