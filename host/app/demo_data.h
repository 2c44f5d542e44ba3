// The demo data set of `privhost init --demo`: companies of both categories,
// departments, created posts with grants and an operator of every post.
#pragma once

#include <fennix/fennix.h>

#include <ostream>

namespace privhost {

bool CreateDemoData(const fennix::Settings& settings);
// The demo operators and their passwords, as the README lists them.
void PrintDemoOperators(std::ostream& out);

} // namespace privhost
