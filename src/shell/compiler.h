// The compiler command: how this build was made and which build suits the CPU it runs on.
#pragma once

void compilerCommand();
