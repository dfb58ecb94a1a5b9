# What mIRC must receive for each track of a playlist, with the component's
# default pattern "%title% - %album%": the playlist read as
# docs/playlist-format.md says, "?" for a missing field, "|" shown as U+00A6
# and control bytes (line breaks included) as blanks but for mIRC's nine
# formatting codes (02 03 04 0F 11 16 1D 1E 1F), which pass. Commands longer than
# the 2047 UTF-16 units of mIRC's block are cut by the component; this prediction
# does not cut them.
# Run with LC_ALL=C so every byte is one character.
function finish_field() {
  if (have) { if (name in f) f[name] = f[name] ", " value; else f[name] = value }
  have = 0
}
function finish_block(   t) {
  finish_field()
  if (fields > 0) {
    t = (("title" in f) ? f["title"] : "?") " - " (("album" in f) ? f["album"] : "?")
    gsub(/\|/, "\302\246", t)
    gsub(/[\001\005-\016\020\022-\025\027-\034\177]/, " ", t)
    print "/me is playing: " t
  }
  split("", f); fields = 0
}
{ sub(/\r$/, "") }
NR == 1 { sub(/^\357\273\277/, "") }
/^[ \t]*$/ { finish_block(); next }
/^#/ { next }
/^[ \t]/ { v = $0; gsub(/^[ \t]+|[ \t]+$/, "", v); value = value "\n" v; next }
{
  finish_field()
  i = index($0, ":")
  name = substr($0, 1, i - 1); gsub(/^[ \t]+|[ \t]+$/, "", name); name = tolower(name)
  value = substr($0, i + 1); gsub(/^[ \t]+|[ \t]+$/, "", value)
  have = 1; fields++
}
END { finish_block() }
