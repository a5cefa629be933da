#include "StatusPanel.h"
