// A look at a type library file before it is loaded.
#pragma once

// False for a type library in the "MSFT" format whose own directory reaches
// past the end of the file: a file cut short, which some loaders (Wine's)
// answer by ending the process with a breakpoint instead of an error. Any
// other file, whole or not of that format, is left to LoadTypeLib to judge,
// and so is a file that cannot be read here.
bool TypeLibraryFileIsWhole(const char* path);
