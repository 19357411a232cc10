// Whether a person watches: progress lines are drawn only on an interactive terminal.
#pragma once

bool errorsGoToTerminal();
