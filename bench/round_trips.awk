# Counts the requests of a +server log between "lurn-mark start" and "end":
# the marking thread's by the call whose mark follows them, the others' by
# thread and request name.
/^[0-9a-f]+: [a-z_]+\( / {
  thread = $1; sub(/:$/, "", thread)
  name = $2; sub(/\(.*/, "", name)
  if (name == "find_atom" && index($0, "lurn-mark ")) {
    call = $0; sub(/.*lurn-mark /, "", call); sub(/" \).*/, "", call)
    if (call == "start") { on = 1; main = thread; next }
    if (call == "end") { on = 0; next }
    if (!on) next
    if (!(call in marks)) order[++calls] = call
    marks[call]++
    for (r in pending) { count[call] += pending[r]; kind[call, r] += pending[r]; kinds[call] = kinds[call] SUBSEP r }
    for (r in pending) delete pending[r]
    next
  }
  if (!on) next
  if (thread == main) pending[name]++
  else { if (!((thread, name) in other)) others[++nothers] = thread SUBSEP name; other[thread, name]++ }
}
END {
  frames = marks[order[calls]]
  printf "%d frames; requests a frame, on the client's thread by call:\n", frames
  for (i = 1; i <= calls; ++i) {
    c = order[i]; detail = ""
    for (r in seen) delete seen[r]
    n = split(kinds[c], list, SUBSEP)
    for (j = 2; j <= n; ++j) if (!(list[j] in seen)) { seen[list[j]] = 1; detail = detail sprintf(" %s %.2f", list[j], kind[c, list[j]] / frames) }
    printf "  %-52s %6.2f%s\n", c, count[c] / frames, detail
  }
  for (i = 1; i <= nothers; ++i) { split(others[i], p, SUBSEP); printf "  thread %s: %-40s %6.2f\n", p[1], p[2], other[p[1], p[2]] / frames }
}
