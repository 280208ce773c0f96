// Data type codes of imported geodata: 32-bit values 0..19, named after their text keys.
#pragma once
#include <cstdint>

namespace formats {

// Code of one kind of imported data. Values outside 0..19 may occur and have the key "inne";
// the key and default layer name of each code live with the settings.
enum class DataType : std::int32_t {
    dzialki = 0,
    budynki = 1,
    mpzp = 2,
    pog = 3,
    gesut = 4,
    bdot500 = 5,
    teren = 6,
    rastry = 7,
    budynki3d = 8,
    poziomice2d = 9,
    poziomice3d = 10,
    budynkilod2 = 11,
    budynkindsm = 12,
    mosty = 13,
    drogi = 14,
    terenchmura = 15,
    poziomicechmura2d = 16,
    poziomicechmura3d = 17,
    budynkirekon = 18,
    wodachmura = 19,
};

}  // namespace formats
