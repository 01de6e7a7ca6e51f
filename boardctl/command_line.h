// boardctl's command line: the command words, the options each takes, and the help texts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "image.h"

enum class Verb { Help, List, EepromRead, EepromWrite, EepromVerify, EepromFill, Keys, Clock, Display };

struct Request {
    Verb verb = Verb::Help;
    Verb helpFor = Verb::Help;   // Help: the command asked about; Help itself for the overview
    bool helpForEeprom = false;  // Help: "eeprom --help", the four eeprom commands
    bool json = false;
    std::optional<int> board;  // --board N: the interface at member index N
    std::optional<int> start;
    std::optional<int> length;
    std::optional<ImageFormat> format;
    std::string outputFile;           // read: -o FILE
    std::string inputFile;            // write, verify: FILE
    std::optional<std::string> data;  // write: --data "01 02 03"
    bool verify = true;               // write, fill: read the bytes back and compare (--no-verify: not)
    bool watch = false;
    std::string value;  // display: VALUE; fill: BYTE
};

// The request, or the usage error (one line) in `error`.
// The options that take a value (the next word): --board, --start, --length, -o, --output,
// --format, --data.
bool OptionTakesValue(const std::string& option);

std::optional<Request> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// The help of a request of kind Help.
std::string HelpText(const Request& request);

// A number: decimal, or hexadecimal after "0x"; nullopt unless it is within lo..hi.
std::optional<int> ParseNumber(const std::string& text, int lo, int hi);
