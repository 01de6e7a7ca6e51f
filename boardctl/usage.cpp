// The --help texts.
#include "command_line.h"

namespace {

const char kOverview[] =
    "Usage: boardctl [--board N] [--json] COMMAND ...\n"
    "\n"
    "Reads and writes the board's 256-byte EEPROM, shows its keys and clock and sets its\n"
    "display, from the command line and from scripts.\n"
    "\n"
    "Commands:\n"
    "  list                     the boards found, in discovery order: number, type byte, name\n"
    "  eeprom read              the EEPROM, or part of it, to standard output or a file\n"
    "  eeprom write             a file, or bytes given with --data, to the EEPROM\n"
    "  eeprom verify FILE       compare the EEPROM with a file\n"
    "  eeprom fill BYTE         set every byte (or a range) to one value\n"
    "  keys [--watch]           the key the board reports held\n"
    "  clock [--watch]          the board's clock\n"
    "  display VALUE            show up to 8 hexadecimal digits on the board's display\n"
    "  help [COMMAND]           this text, or a command's (also: COMMAND --help)\n"
    "\n"
    "Options for every command:\n"
    "  --board N   the board at interface number N as `list` shows it (0 is the first);\n"
    "              default: the first board that opens, as the tools choose\n"
    "  --json      results as one JSON object on standard output (--watch: one a line),\n"
    "              with \"ok\": false and \"error\" on failure\n"
    "  --help      help for the command\n"
    "\n"
    "Numbers are decimal or hexadecimal after 0x. Only boards of a known type are used.\n"
    "\n"
    "Exit status:\n"
    "  0    done\n"
    "  1    the board failed: a request failed or timed out, too few bytes, the board went away,\n"
    "       or a request did not end within its limit and the grace of its cancel (a few s)\n"
    "  2    usage: bad arguments or value, a file that cannot be read or written, or is refused\n"
    "  3    no board, none at the number given, or a board of unknown type\n"
    "  4    verification found a difference\n"
    "  130  interrupted by Ctrl-C (a --watch ends with 0): the first stops the command at its\n"
    "       next step, a second ends it at once\n"
    "  143  ended at once by SIGTERM (or the console closing, on Windows)\n"
    "A write that ends early says what it left: written, not written, and the job whose state\n"
    "is unknown.\n"
    "Errors are one line on standard error.\n"
    "\n"
    "Environment (virtual board only, on Linux and in the Windows test build):\n"
    "  VBOARD_BUS  the board bus directory the virtual boards are attached to\n";

const char kEeprom[] =
    "Usage:\n"
    "  boardctl eeprom read [--start A] [--length N] [-o FILE] [--format F]\n"
    "  boardctl eeprom write (FILE | --data \"01 02 03\") [--start A] [--format F] [--no-verify]\n"
    "  boardctl eeprom verify FILE [--start A] [--format F]\n"
    "  boardctl eeprom fill BYTE [--start A] [--length N] [--no-verify]\n"
    "\n"
    "The EEPROM has addresses 0 to 255. Bytes move in jobs of at most 64 bytes, each with a\n"
    "time limit of 1000 ms, as Varnel moves them.\n"
    "\n"
    "Formats (--format; without it a file's name decides: .bin is bin, .hex, .ihx and .ihex\n"
    "are Intel HEX, .txt is text, anything else and standard output are dump):\n"
    "  dump  \"10: de ad be ef ...  |....|\": 16 bytes a line, address and ASCII column\n"
    "  text  the tools' text \"de ad be ef \", 16 bytes a line\n"
    "  bin   raw bytes\n"
    "  ihex  Intel HEX (also: hex, as other programmers name it)\n"
    "dump and ihex files carry their addresses; text and bin go to --start (default 0).\n"
    "\n"
    "read    --start A (default 0) and --length N (default: to the end). Output appears only\n"
    "        when every byte was read; -o FILE is replaced only then. Raw bytes (bin) go to a\n"
    "        terminal only with -o - (standard output, asked for).\n"
    "write   the whole file is checked before anything is written: a bad digit or checksum,\n"
    "        bytes past address 255, an address given twice or an empty file is refused with\n"
    "        the file, line and reason. --data takes the tools' hex text. The bytes are read\n"
    "        back and compared afterwards (exit 4 on a difference) unless --no-verify is given.\n"
    "        A write that stops early names the ranges written and not written and the job\n"
    "        whose state is unknown, read back: unchanged, written or partly written.\n"
    "verify  compares the bytes the file gives with the EEPROM: the first difference and how\n"
    "        many bytes differ (exit 4); --json lists every one. A read that fails is exit 1.\n"
    "fill    BYTE is 0 to 255 (or 0x00 to 0xff); --start and --length choose a range; verified\n"
    "        as a write is.\n"
    "\n"
    "Examples:\n"
    "  boardctl eeprom read -o board.bin\n"
    "  boardctl eeprom write board.bin\n"
    "  boardctl eeprom read --start 0x20 --length 16 --format text\n"
    "  boardctl eeprom write --data \"48 65 6c 6c 6f\" --start 32\n";

const char kList[] =
    "Usage: boardctl list [--json]\n"
    "\n"
    "The board interfaces in discovery order: the number --board takes, the board-type byte\n"
    "and the board's name (\"QL-3306\", \"LINKBAY 2.0\" or \"Unknown Board\"). An interface\n"
    "that cannot be opened is listed as such. Exit 3 when there is none.\n";

const char kKeys[] =
    "Usage: boardctl keys [--watch] [--json]\n"
    "\n"
    "The key the board's status report names, numbered 1 to 8 as Tesmor's lamps are, or\n"
    "\"none\". One report (waiting up to 3 s for it); with --watch a line each time the key\n"
    "changes, until Ctrl-C (exit 0), each with the board's time.\n";

const char kClock[] =
    "Usage: boardctl clock [--watch] [--json]\n"
    "\n"
    "The board's clock as Tesmor shows it (\"08 : 09 : 10\"). One report (waiting up to 3 s\n"
    "for it); with --watch a line each time it changes, until Ctrl-C (exit 0).\n";

const char kDisplay[] =
    "Usage: boardctl display VALUE [--json]\n"
    "\n"
    "Shows VALUE on the board's 8-digit display: 1 to 8 hexadecimal digits, padded on the\n"
    "left with zeros, checked as Tesmor's Modify checks it. The board must take the digits\n"
    "within 50 ms.\n";

}  // namespace

std::string HelpText(const Request& request) {
    if (request.helpForEeprom) return kEeprom;
    switch (request.helpFor) {
        case Verb::List:
            return kList;
        case Verb::EepromRead:
        case Verb::EepromWrite:
        case Verb::EepromVerify:
        case Verb::EepromFill:
            return kEeprom;
        case Verb::Keys:
            return kKeys;
        case Verb::Clock:
            return kClock;
        case Verb::Display:
            return kDisplay;
        case Verb::Help:
            break;
    }
    return kOverview;
}
