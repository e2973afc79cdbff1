#include "shell/session.h"

bool positionValid = true;
bool quitRequested = false;
uint32_t gamesStarted = 0;
uint32_t limitedSearches = 0;
