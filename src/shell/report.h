// What the GUI sees of a search and what it may say during one: the info and bestmove lines, the
// answer an infinite or pondering search withholds, and the commands read while a search runs.
#pragma once

#include "search/searchthread.h"

// The hooks a search started by go runs with.
const SearchHooks& guiHooks();

// The answer a finished infinite or pondering search withholds until stop or ponderhit: the text
// is written when the search ends, since a position command may replace its board before then.
bool answerWithheld();
// Prints it and forgets it.
void printWithheldAnswer();
