#include "hex_digit.h"

int HexDigitValue(char character, unsigned char& value) {
    if (character >= '0' && character <= '9') {
        value = static_cast<unsigned char>(character - '0');
        return 0;
    }
    if (character >= 'A' && character <= 'F') {
        value = static_cast<unsigned char>(character - 'A' + 10);
        return 0;
    }
    if (character >= 'a' && character <= 'f') {
        value = static_cast<unsigned char>(character - 'a' + 10);
        return 0;
    }
    return 1;
}
