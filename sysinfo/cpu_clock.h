#pragma once

#include <string>

// Base clock in GHz: cpufreq's base_frequency, else cpuinfo_max_freq (both kHz, cpu0's policy), else
// the first "cpu MHz" of proc/cpuinfo, else 0.0.
double read_base_clock_ghz(const std::string& root);
