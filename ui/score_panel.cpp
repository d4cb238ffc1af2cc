#include "ui/score_panel.h"

void draw_score_panel(AppState&, ImFont*) {}
