#pragma once
#include <cstdint>

// Hands a program, document or web address to the system; 1 when it was accepted.
int32_t RunExternal(const char* target);
