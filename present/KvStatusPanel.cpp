#include "KvStatusPanel.h"
