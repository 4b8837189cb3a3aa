#pragma once

#include <string>
#include <vector>

struct CommandResult {
    int status { -1 };
    std::string out {};
    std::string err {};
};

// Runs `command` through the shell; captures both output streams.
CommandResult RunCommand(const std::string& command);

// Whether a program is on PATH.
bool HasProgram(const std::string& name);

// Single-quotes a word for the shell.
std::string ShellQuote(const std::string& word);

std::vector<unsigned char> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);
