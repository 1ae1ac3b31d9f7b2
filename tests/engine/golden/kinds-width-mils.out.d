*PADS-LIBRARY-PCB-DECALS-V9* trailing mark

DIP8 I 0 0 2 2 17 0 8 1 0
TIMESTAMP 2017.10.26.14.12.31
"Geometry.Height" 6.7mm
0     1.39  0     0 1.2   0.12  1 17 42 "Default Font"
REF-DES
OPEN  2  5  26  -1
-100 0
100 0
CLOSED  5  5  26  -1
-4    -0.5 
CIRCLE 2 12 26 -1
OPEN  2  5  01  -1
OPEN  2  5  1  -1
OPEN 2 10 26 -1 extra
OPEN 2 10 26 0
OPEN 2 10 26 -1.0
OPEN 2 10 26	-1
  OPEN 2 10 26 -1
OPEN  2  5  26  -1
open 2 10 26 -1
OPENX  2  5  26  -1
CLOS 2 8 26 -1
CIRC 2 7.874 26 -1
COPCLS 4 10 26 -1
KPTCLS 4 10 26 -1
OPEN
T-1.3  2.2   -1.3  2.2   1
PAD 0 5 N 0    
-2 0.45 RF  0   90   1.5 0  



OPENHDR M 0 0 2 2 6 0 8 1 0
OPEN  2  0.127  26  -1
OPEN 2 0.3048 26 -1
OPEN 2 0.305 26 -1
CLOSED  3  0.127  1  -1
CIRCLE 2 0.127 27 -1
   
SPACED I 0 0 2 2 6 0 8 1 0
OPEN  2  0.127  26  -1
OPEN 2 10 26 -1

TWELVE I 0 0 2 2 6 0 8 1 0 x
OPEN  2  0.127  26  -1

CR_ONLY I 0 0 2 2 6 0 8 1 0
OPEN  2  5  26  -1
-1 0
CLOSED  2  5  26  -1
-1 0
OPEN  2  5  26  -1
1 0

LFCR M 0 0 2 2 6 0 8 1 0
OPEN  2  0.127  26  -1
OPEN 2 0.2 26 -1

MM M 0 0 2 2 6 0 8 1 0
OPEN  2  0.127  20  -1

NOLAYER I 0 0 2 2 6 0 8 1 0
OPEN 2 -10 26 -1
OPEN  2  5  26  -1
OPEN  2  5  26  -1

*PADS-LIBRARY-PCB-DECALS-V9*

*END*
