; Chirpline for mIRC: /np says in the active channel or query what Corvane
; plays, as "/me is playing: <title>". Load it with /load -rs chirpline.mrc;
; chirpline_mirc.dll must be in the same folder as this script.
alias np {
  ; A value from $dll is text: mIRC does not evaluate it again, so $ and %
  ; in a title reach the channel as they are.
  set -l %title $dll($scriptdir $+ chirpline_mirc.dll, title, $null)
  if (%title == $null) {
    echo $color(info) -a * Chirpline: Corvane has started no track (or it is not running, or its Chirpline component is not installed)
    return
  }
  if (($active ischan) || ($query($active))) {
    me is playing: %title
  }
  else {
    echo $color(info) -a * Chirpline: /np works in a channel or query window
  }
}
