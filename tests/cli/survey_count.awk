# Counts the outline pieces of a decal library the way trelvo-cli --survey --format csv reports
# them, written from the line rules alone (no code shared with trelvo-cli), so that the two can
# be compared. Prints the CSV rows (unsorted), then "decals N".
# Run with: gawk -v input=NAME -f survey_count.awk FILE
BEGIN { RS = "\r\n|\r|\n"; unit = "I"; decal = 0; afterblank = 0 }

function trim(s) { sub(/^ +/, "", s); sub(/ +$/, "", s); return s }
function nfields(s, f) { s = trim(s); if (s == "") { f[1] = ""; return 1 } return split(s, f, / +/) }
# The shortest decimal form of a number, or "" for a text that is not one.
function shortest(t,   sign, ip, fp) {
    if (t !~ /^-?([0-9]+\.?[0-9]*|\.[0-9]+)$/) return ""
    sign = ""; if (substr(t, 1, 1) == "-") { sign = "-"; t = substr(t, 2) }
    ip = t; fp = ""
    if (index(t, ".")) { ip = substr(t, 1, index(t, ".") - 1); fp = substr(t, index(t, ".") + 1) }
    sub(/^0+/, "", ip); sub(/0+$/, "", fp)
    if (ip == "") ip = "0"
    t = ip; if (fp != "") t = t "." fp
    if (t == "0") sign = ""
    return sign t
}

NR == 1 { prev = $0; next }
{
    line = $0
    if (afterblank) {
        if (nfields(line, h) == 11) { unit = h[2]; decal++; headerline = NR }
        afterblank = 0
    }
    if (line == "") afterblank = 1
    # A header that no empty line precedes: 11 fields, and a TIMESTAMP line after it.
    if (substr(line, 1, 9) == "TIMESTAMP" && NR > 2 && headerline != NR - 1 && nfields(prev, h) == 11) {
        unit = h[2]; decal++; headerline = NR - 1
    }
    prev = line
    k = substr(line, 1, 4)
    if (k != "OPEN" && k != "CLOS" && k != "CIRC") next
    n = nfields(line, f)
    w = ""; if (n >= 3) { w = shortest(f[3]); if (w == "") w = f[3] }
    if (n != 5) status = "not eligible: " n " fields"
    else if (f[5] != "-1") status = "not eligible: line style " f[5]
    else {
        status = decal == 0 ? "eligible (before the first decal header)" : "eligible"
        if (shortest(f[3]) == "") status = status "; width not a number (a --width run fails)"
    }
    key = unit "," f[1] "," (n >= 4 ? f[4] : "") "," w "," (n >= 5 ? f[5] : "")
    st[key] = status
    pieces[key SUBSEP status]++
    if (decal > 0 && last[key SUBSEP status] != decal) { last[key SUBSEP status] = decal; decals[key SUBSEP status]++ }
}
END {
    for (ks in pieces) {
        split(ks, p, SUBSEP)
        print input "," p[1] "," pieces[ks] "," (decals[ks] + 0) "," p[2]
    }
    print "decals " decal
}
