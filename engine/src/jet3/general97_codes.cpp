// The General 97 sort order's codes of the 256 bytes of a single-byte code page, one code a
// byte, apart by blanks: S simple (inline code), G significant (inline code, counted for the
// extra codes that follow), I international (inline code, comma, extra nibble), X ignored.
// Data from the published table index_codes_gen_97.txt (see NOTICE); the writer and the checker
// read it each with a parser of its own.
#include "jet3/general97.h"

namespace engine::detail::jet3 {

const char kGeneral97Codes[] =
    "X S10 S10 S10 S10 S10 S10 S10 S10 S11 S10 S10 S10 S10 S10 S10 "
    "S10 S10 S10 S10 S10 S10 S10 S10 S10 S10 S10 S10 S10 S10 S10 S10 "
    "S11 S12 S13 S14 S15 S16 S17 S18 S19 S1A S1B S1C S1D S1E S1F S20 "
    "S56 S57 S58 S59 S5A S5B S5C S5D S5E S5F S21 S22 S23 S24 S25 S26 "
    "S27 G60 S61 G62 S64 G66 S67 S68 S69 G6A S6B S6C S6D S6F G70 G72 "
    "S73 S74 S75 G76 S77 G78 S7A S7B S7C G7D S7E S28 S29 S2A S2B S2C "
    "S2D G60 S61 G62 S64 G66 S67 S68 S69 G6A S6B S6C S6D S6F G70 G72 "
    "S73 S74 S75 G76 S77 G78 S7A S7B S7C G7D S7E S2E S2F S30 S31 S10 "
    "S10 S10 S18 S32 S13 S33 S34 S35 S36 S37 I76,0A S18 S7266 S10 S10 S10 "
    "S10 S18 S18 S13 S13 S38 S1E S1E S39 S3A I76,0A S18 S7266 S10 S10 I7D,06 "
    "S11 S3B S3C S3D S3E S3F S40 S41 S42 S43 S44 S13 S45 S1E S46 S47 "
    "S48 S49 S58 S59 S4A S4B S4C S4D S4E S57 S4F S13 S50 S51 S52 S53 "
    "I60,03 I60,04 I60,05 I60,07 I60,06 I60,08 S6066 I62,09 I66,03 I66,04 I66,05 I66,06 I6A,03 "
    "I6A,04 I6A,05 I6A,06 "
    "S65 I70,07 I72,03 I72,04 I72,05 I72,07 I72,06 S54 S81 I78,03 I78,04 I78,05 I78,06 I7D,04 S7F "
    "S7676 "
    "I60,03 I60,04 I60,05 I60,07 I60,06 I60,08 S6066 I62,09 I66,03 I66,04 I66,05 I66,06 I6A,03 "
    "I6A,04 I6A,05 I6A,06 "
    "S65 I70,07 I72,03 I72,04 I72,05 I72,07 I72,06 S55 S81 I78,03 I78,04 I78,05 I78,06 I7D,04 S7F "
    "I7D,06";

} // namespace engine::detail::jet3
