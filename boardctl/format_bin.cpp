// The raw format: the file's bytes are the EEPROM's, placed at the start address.
#include "image.h"

bool ParseBin(std::string_view content, int start, ImageBuilder& image, ImageError& error) {
    std::string why;
    if (!image.Add(start, std::vector<std::uint8_t>(content.begin(), content.end()), why)) {
        error = {0, why};
        return false;
    }
    return true;
}
