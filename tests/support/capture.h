// Captures what a function writes to a stream.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

inline std::string Captured(const std::function<void(std::FILE*)>& write) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  write(out);
  (void)std::fclose(out);  // a stream cut short shows as a wrong capture
  std::string result(text, size);
  std::free(text);
  return result;
}
