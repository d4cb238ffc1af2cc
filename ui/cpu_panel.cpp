#include "ui/cpu_panel.h"

void draw_cpu_panel(AppState&, ImFont*) {}
