*PADS-LIBRARY-PCB-DECALS-V9*
OPEN 2 10 26 -1
0 0
1 1

SOIC8 I 0 0 1 2 4 1 2 1 0
TIMESTAMP 2024.01.01.00.00.00
"Geometry.Height" 60mil
0     100   0     0 50    5     26 0 34 "Regular <Romansim Stroke Font>"
REF-DES
0 0 0 0 50 5 1 0 33 "Regular <Romansim Stroke Font>"
PART-TYPE
OPEN 2 10 26 -1
-100 50
100 50
CLOSED   5 8 27 -1
-100 -50
100 -50
100 50
-100 50
-100 -50
CIRCLE 2 6 26 -1
-10 0
10 0
OPEN 2 10 26 5
0 0
1 0
-50 -60 0 26 40 4 0 0 0 "Regular <Romansim Stroke Font>"
PIN 1
T-75 -50 -75 -50 1
T75 -50 75 -50 2
PAD 0 3 P 0
-2 60 R
-1 60 R
0 60 R

R0805 M 0 0 0 1 2 0 2 1 0
TIMESTAMP 2024.01.01.00.00.00
-1 1 0 0 1.27 0.127 26 0 34 "Regular <Romansim Stroke Font>"
REF-DES
OPEN 2 0.254 26 -1
-1 0.6
1 0.6
CLOSED 2 0.2 27 -1
-1 -0.6
1 -0.6
T-1 0 -1 0 1
T1 0 1 0 2
PAD 0 3 P 0
-2 1.5 R
-1 1.5 R
0 1.5 R

BROKEN1 I 0 0 0 1 1 0 0 1 0
TIMESTAMP 2024.01.01.00.00.00
0 100 0 0 50 5 26 0 34 "Regular <Romansim Stroke Font>"
REF-DES
0 0 0 0 50 5 26 0 33 "Regular <Romansim Stroke Font>"
PART-TYPE
OPEN 2 10 26 -1
0 0
1 0
PAD 0 3 P 0
-2 60 R
-1 60 R
0 60 R
