// The one rule both tools read hexadecimal digits by.
#pragma once

// '0'..'9' give 0..9, 'A'..'F' and 'a'..'f' give 10..15: returns 0 and stores the value.
// Any other character: returns 1 and leaves `value` alone.
int HexDigitValue(char character, unsigned char& value);
