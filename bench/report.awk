# Turns the measurements of bench/run.sh into the tables of RESULTS.md.
# Input 1 (results.tsv): label, records, bytes, seconds, peak RSS KiB, exit status.
# Input 2 (ops.tsv): side (rm|sqlite), call, count, seconds.

function baseline(label) {
  if (label == "-SAVE") return "sqlite scan key"
  if (label == "-RECOVER") return "sqlite scan physical"
  if (label == "-LOAD" || label == "-LOAD /U" || label == "-COPY") return "sqlite insert"
  if (label == "-UPDATE") return "sqlite update"
  if (label == "-FORCE") return "sqlite force"
  if (label ~ /^-PURGEALL/) return "sqlite purge"
  if (label ~ /^long -/) return "long cp UNF"
  return ""
}
function goal(label) {
  if (label == "-SAVE" || label == "-RECOVER") return 0.7
  return 0.5
}
function mib(kib) { return sprintf("%.1f", kib / 1024) }
function rate(x) {
  if (x >= 100000) return sprintf("%.0f", x)
  if (x >= 100) return sprintf("%.0f", x)
  return sprintf("%.2f", x)
}

FNR == NR {
  key = $1 SUBSEP $2
  if (!(key in secs)) { order[++rows] = key }
  label[key] = $1; recs[key] = $2; bytes[key] = $3
  secs[key] = $4; rss[key] = $5; status[key] = $6
  if ($1 !~ /^long /) {
    if (!($2 in sizeSeen)) { sizeSeen[$2] = 1; sizes[++nsizes] = $2 }
    if (!($1 in cmdSeen)) { cmdSeen[$1] = 1; cmds[++ncmds] = $1 }
  }
  next
}
{ opsSecs[$1, $2] = $4; opsCount[$1, $2] = $3; if (!(($2) in opSeen)) { opSeen[$2] = 1; opNames[++nops] = $2 } }

END {
  small = sizes[1]; large = sizes[1]
  for (i = 1; i <= nsizes; i++) { if (sizes[i] + 0 < small + 0) small = sizes[i]; if (sizes[i] + 0 > large + 0) large = sizes[i] }

  print "## Record loops"
  print ""
  print "Ratio = the baseline's time / the command's time for the same records (1.0: as fast as"
  print "the baseline; the goal is at least 0.5, 0.7 for -SAVE and -RECOVER). For the long records"
  print "the ratio is the command's MB/s / the MB/s of `cp` of the same UNF file (goal 0.5)."
  print "MB/s counts the records' bytes (records x record length) for the commands and the SQLite"
  print "baselines, the file's bytes for `cp` and `cat`; 1 MB = 10^6 bytes."
  print ""
  print "| Command | Records | Seconds | Records/s | MB/s | Peak RSS MiB | Baseline | Ratio | Goal | Exit |"
  print "|---|--:|--:|--:|--:|--:|---|--:|---|--:|"
  missed = 0
  for (r = 1; r <= rows; r++) {
    k = order[r]; l = label[k]; n = recs[k]; t = secs[k]
    if (t <= 0) t = 0.0001
    b = baseline(l); ratio = ""; verdict = ""
    if (b != "" && ((b SUBSEP n) in secs)) {
      bk = b SUBSEP n
      if (l ~ /^long /) ratio = (bytes[k] / t) / (bytes[bk] / secs[bk])
      else ratio = secs[bk] / t
      verdict = (ratio >= goal(l)) ? "met" : "**missed**"
      if (ratio < goal(l)) missedList[++missed] = sprintf("%s at %s records: ratio %.2f to %s (goal %.1f)", l, n, ratio, b, goal(l))
      ratio = sprintf("%.2f", ratio)
      verdict = verdict " (" goal(l) ")"
    }
    printf "| %s | %s | %.3f | %s | %.1f | %s | %s | %s | %s | %s |\n", l, n, t, rate(n / t),
      bytes[k] / t / 1e6, mib(rss[k]), b, ratio, verdict, status[k]
    if (status[k] != 0) missedList[++missed] = sprintf("%s at %s records exited with status %s", l, n, status[k])
  }

  print ""
  print "## Growth: cost per record and memory from " small " to " large " records"
  print ""
  print "Goals: per-record time at " large " within 1.3x of that at " small "; peak RSS under 64 MiB"
  print "at " large " and within 10% of that at " small "."
  print ""
  print "Baseline growth: the same for the command's baseline, measured alongside."
  print ""
  print "| Command | us/record at " small " | us/record at " large " | Growth | Baseline growth | Peak RSS MiB at " small " | at " large " | RSS change | Goals |"
  print "|---|--:|--:|--:|--:|--:|--:|--:|---|"
  for (c = 1; c <= ncmds; c++) {
    l = cmds[c]
    if (l ~ /^(sqlite|cp|cat) /) continue
    ks = l SUBSEP small; kl = l SUBSEP large
    if (!(ks in secs) || !(kl in secs)) continue
    us = secs[ks] / small * 1e6; ul = secs[kl] / large * 1e6
    growth = ul / us
    change = (rss[kl] - rss[ks]) / rss[ks]
    notes = ""
    if (growth > 1.3) { notes = notes " time"; missedList[++missed] = sprintf("%s: per-record time grows %.2fx from %s to %s records (goal 1.3x)", l, growth, small, large) }
    if (rss[kl] >= 65536) { notes = notes " RSS>64MiB"; missedList[++missed] = sprintf("%s: peak RSS %s MiB at %s records (goal < 64 MiB)", l, mib(rss[kl]), large) }
    if (change > 0.10 || change < -0.10) { notes = notes " RSS-flat"; missedList[++missed] = sprintf("%s: peak RSS %s MiB at %s records, %s MiB at %s (%+.0f%%, goal within 10%%)", l, mib(rss[ks]), small, mib(rss[kl]), large, change * 100) }
    b = baseline(l); bgrowth = ""
    if (((b SUBSEP small) in secs) && ((b SUBSEP large) in secs))
      bgrowth = sprintf("%.2f", (secs[b SUBSEP large] / large) / (secs[b SUBSEP small] / small))
    printf "| %s | %.2f | %.2f | %.2f | %s | %s | %s | %+.0f%% | %s |\n", l, us, ul, growth, bgrowth, mib(rss[ks]), mib(rss[kl]), change * 100, notes == "" ? "met" : "**missed:**" notes
  }

  if (nops > 0) {
    print ""
    print "## Record manager: cost per operation on a file of " large " records"
    print ""
    print "`bench/rm_ops` calls `vorlan::rm::standardEntry`; `sqlite_baseline ops` does the same work with"
    print "plain prepared SQLite statements (inserts in transactions of 10,000 rows, the reads in one read"
    print "transaction). Ratio = record manager / SQLite (goal: at most 2.0)."
    print ""
    print "| Operation | Calls | Record manager ns/op | SQLite ns/op | Ratio | Goal |"
    print "|---|--:|--:|--:|--:|---|"
    for (o = 1; o <= nops; o++) {
      name = opNames[o]
      if (!(("rm" SUBSEP name) in opsSecs) || !(("sqlite" SUBSEP name) in opsSecs)) continue
      a = opsSecs["rm", name] / opsCount["rm", name] * 1e9
      s = opsSecs["sqlite", name] / opsCount["sqlite", name] * 1e9
      ratio = a / s
      if (ratio > 2) missedList[++missed] = sprintf("record manager %s: %.0f ns/op, %.2fx plain SQLite (goal 2x)", name, a, ratio)
      printf "| %s | %s | %.0f | %.0f | %.2f | %s |\n", name, opsCount["rm", name], a, s, ratio, ratio <= 2 ? "met" : "**missed**"
    }
  }

  print ""
  print "## Goals missed in this run"
  print ""
  if (missed == 0) print "None."
  for (m = 1; m <= missed; m++) print "- " missedList[m]
}
