// Small pictures to start the fuzzer from, good and bad, made here.
#pragma once

#include <string>
#include <vector>

#include "bmp_fixture.h"
#include "core_path.h"

struct FuzzSeed {
  std::string name;  // a file name
  Bytes file;
  CorePathEnd end;   // where the core path takes it
};

std::vector<FuzzSeed> FuzzSeeds();
