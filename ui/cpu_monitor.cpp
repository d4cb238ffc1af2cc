#include "ui/cpu_monitor.h"
