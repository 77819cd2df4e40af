#include "tools/sim/simdemo.h"

QString SimDemo::script()
{
    // Written in the command language, so it doubles as an example of it.
    return QStringLiteral(R"(# Demo bus
add 1  sn=KV10A001 version=2.14 input=6 mode=9  rotary=0,0,0,0,20
add 2  sn=KV10A002 version=2.14 input=7 mode=19 rotary=-3,5,0,2,18
add 3  sn=KV10A003 version=2.14 input=6 mode=10 alarm=0x08          # audio muted
add 4  sn=KV10A004 version=2.10 power=off                            # in standby
add 5  sn=KV10A005 version=2.14 input=5 mode=5  functions=0x00000005
add 6  sn=KV10A006 version=2.02 input=0 mode=1  rotary=0,-10,4,0,12
add 7  sn=KV10A007 version=2.14 input=8 mode=33
add 8  sn=KV10A008 version=2.14 input=6 mode=20                      # stops answering
fault 8 dies-after 30s
add 12 sn=KV11B012 version=3.01 input=7 mode=8  boards=13073011100221001208
add 17 sn=KV11B017 version=3.01 input=6 mode=15 functions=0x20000000
add 25 sn=KV11B025 version=3.01 input=6 mode=9  timecode=10:00:00:00
add 40 sn=KV12C040 version=3.02 input=1 mode=2  rotary=2,2,2,2,2
)");
}
