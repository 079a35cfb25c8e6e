// error_box.h: the program's one failure route, free of SDL so that it works when SDL does not.
#pragma once

// Shows text in a box titled "Fatal-Error" (fatal != 0) or "Error" and waits for it to be
// dismissed; a fatal box then ends the process with status 1.
void showError(const char *text, int fatal);
