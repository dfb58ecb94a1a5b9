; Chirpline for mIRC: /np says in the active channel, query or DCC chat what
; Corvane plays, as the action "is playing: <title>", exactly as an
; announcement of that track would. Load it with /load -rs chirpline.mrc;
; chirpline_mirc.dll must be in the same folder as this script.

; The DLL beside this script ($scriptdir ends in a backslash).
alias -l np_dll return $scriptdir $+ chirpline_mirc.dll

alias np {
  if (!$isfile($np_dll)) {
    echo $color(info) -a * Chirpline: chirpline_mirc.dll is not in $scriptdir (it belongs beside chirpline.mrc)
    return
  }
  ; /me works in a channel, a query and a DCC chat (whose window is "=nick").
  if (($active !ischan) && (!$query($active)) && (!$chat($mid($active, 2)))) {
    echo $color(info) -a * Chirpline: /np works in a channel, query or DCC chat window
    return
  }
  ; No variable: /set and /var compute "2112 - 2112" unless given -n, and
  ; trim blanks unless given -p. A value $dll returns is text, never
  ; evaluated again; an if computes nothing, and $v1 is its first operand.
  ; !me is mIRC's own /me, whatever alias of that name another script adds.
  if ($dll($np_dll, title, $null) != $null) !me is playing: $v1
  else echo $color(info) -a * Chirpline: $dll($np_dll, reason, $null)
}

; mIRC keeps a DLL loaded ten minutes after its last call: unloading the
; script lets the file go at once, so a new version can replace it.
; $dll(file) is $true while that file is loaded; /dll takes a path with
; blanks in quotes ($qt), where $dll(...) needs none (commas part its values).
on *:UNLOAD: if ($dll($np_dll)) dll -u $qt($np_dll)
