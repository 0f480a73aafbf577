// A C stream closed with its owner.
#pragma once

#include <cstdio>
#include <memory>

namespace bench {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

inline UniqueFile OpenFile(const char* path, const char* mode) {
    return UniqueFile(std::fopen(path, mode));
}

}  // namespace bench
