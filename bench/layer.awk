# The layer rewrite of the update pass as an awk script, for comparison with trelvo-cli:
#   gawk -v old=26 -v new=1 -f bench/layer.awk IN > OUT
# Same rules for this job: signature check, decal headers after an empty line, piece header
# lines (OPEN/CLOS/CIRC, 5 space-separated fields, field 5 "-1") with layer old (or "*")
# rebuilt with two spaces between fields; CR LF after every line.
BEGIN {
    RS = "\r\n|\r|\n"
    ORS = "\r\n"
    count = 0
}
NR == 1 {
    if (substr($0, 1, 24) != "*PADS-LIBRARY-PCB-DECALS") {
        print "layer.awk: not a decal library" > "/dev/stderr"
        exit 6
    }
    print
    next
}
{
    line = $0
    if (afterBlank) {
        t = line
        gsub(/^ +| +$/, "", t)
        if (split(t, h, / +/) == 11) {
            if (h[2] != "M" && h[2] != "I") {
                print "layer.awk: bad unit letter" > "/dev/stderr"
                exit 6
            }
            seen = 1
        }
        afterBlank = 0
    }
    if (line == "") afterBlank = 1
    k = substr(line, 1, 4)
    if (k == "OPEN" || k == "CLOS" || k == "CIRC") {
        t = line
        gsub(/^ +| +$/, "", t)
        # Compare as text ("01" is not "1"), as the pass does.
        if (split(t, f, / +/) == 5 && f[5] == "-1" && (old "" == "*" || f[4] "" == old "")) {
            print f[1] "  " f[2] "  " f[3] "  " new "  " f[5]
            if (seen) {
                count++
                seen = 0
            }
            next
        }
    }
    print line
}
END {
    printf "%d Decal(s) updated.\n", count > "/dev/stderr"
}
