#include "ui/history_panel.h"

void draw_history_panel(AppState&) {}
