#pragma once

struct AppState;

// Once per frame, before any panel is drawn: polls the run controller and acts on what it
// reports. A run that starts gets a fresh preview texture; a finished run is shown (its score and
// the verdict on its image) and recorded (history, then the leaderboard) unless its image is
// wrong. The panels then draw from the state this leaves.
void poll_runs(AppState& app);
