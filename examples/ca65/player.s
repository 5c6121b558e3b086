; The player, assembled with the settings of music.inc, which lz16 pack writes.
LZ_SETTINGS_ONLY = 1
        .include "music.inc"
        .include "lz16_player.s"
