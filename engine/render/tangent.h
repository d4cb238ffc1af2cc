#pragma once

namespace vornmark {

// tan(x) for |x| < pi/2 from IEEE double additions, multiplications and divisions alone, carried
// in double-double precision (about 106 bits) and rounded once at the end, so it is the correctly
// rounded tangent in all but vanishingly rare cases. The C libraries' tan differ in the last bit
// for some arguments (MinGW-w64's from glibc's for about one argument in 25); the camera uses this
// one so that every build of the kernel gives the same image.
double tangent(double x);

}  // namespace vornmark
