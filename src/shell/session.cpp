#include "shell/session.h"

bool positionValid = true;
bool quitRequested = false;
