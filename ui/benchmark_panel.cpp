#include "ui/benchmark_panel.h"

void draw_benchmark_panel(AppState&) {}
