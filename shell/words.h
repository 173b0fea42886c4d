// Command-line text before dispatch: reading one line, trimming it, cutting it into words and
// replacing "[name]" words by variable values. Pure functions over strings and a FILE; nothing
// here runs a command or talks to the link.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "hooks.h"

inline constexpr std::size_t kMaxWords = 255;     // the command word and 254 arguments
inline constexpr std::size_t kMaxWordLen = 254;   // characters in one word
inline constexpr std::size_t kMaxLineLen = 9999;  // characters in one typed line

// Outcome of reading one line of input.
enum class LineRead { kLine, kTooLong, kEnd };

// Reads one line from `in` into `line`, keeping its newline. kTooLong when it held more than
// `maxlen` characters before the newline: the rest is skipped up to and including the newline
// and `line` is left empty. kEnd at end of input with nothing read; a last line without a
// newline is a kLine.
LineRead readcmdline(std::FILE* in, std::string& line, std::size_t maxlen = kMaxLineLen);

// Cuts trailing white space (isspace) off the line, never touching its first character.
void trimtrailing(std::string& line);

// Outcome of cutting a line into words.
enum class SplitResult { kOk, kTooManyWords, kWordTooLong };

// Cuts `line` (up to its first NUL) into words: runs of white space separate words as one,
// leading white space gives an empty first word and the last word is always kept, even empty.
// kTooManyWords when a 256th word would begin; kWordTooLong when a word holds more than
// kMaxWordLen characters (`badlen` gets its length). `words` is filled only on kOk.
SplitResult splitwords(const std::string& line, std::vector<std::string>& words,
                       std::size_t* badlen = nullptr);

// The variable name of a "[name]" word: the text after "[" less the word's last character,
// whatever that is ("[x" gives the empty name).
std::string bracketname(const std::string& word);

// Replaces every word that begins with "[" by the value of its variable, as one word that is
// not expanded again. In a line for the workstation's shell (isshellline, after expansion) each
// value is passed through shellword, so a name never runs as shell syntax. Returns true when
// all were found; otherwise false with the first missing name in `missing` (the words may then
// be partly replaced).
bool expandwords(std::vector<std::string>& words, varlookup lookup, std::string& missing);

// True when `words` are a line for the workstation's shell: the command word begins with "!".
bool isshellline(const std::vector<std::string>& words);

// `value` as it goes into a shell line: unchanged when it holds only letters, digits, blanks,
// bytes above 0x7F and the punctuation _ - . , / : @ % + =, so that blanks still separate words;
// otherwise as one single-quoted word (each ' written '\''), which the shell reads as data.
std::string shellword(const std::string& value);
