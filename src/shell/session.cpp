#include "shell/session.h"

bool positionValid = true;
int32_t fullmoveNumber = 1;
bool quitRequested = false;
uint32_t gamesStarted = 0;
uint32_t limitedSearches = 0;
