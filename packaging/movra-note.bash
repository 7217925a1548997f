# bash completion for movra-note: the commands, the options of "run" and "plot"
# and their values, and model files (*.model), CSV files and folders; "edit"
# takes any number of models.
_movra_note() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  COMPREPLY=()
  if [ "$COMP_CWORD" -eq 1 ]; then
    mapfile -t COMPREPLY < <(compgen -W "run edit check dump eval lsp plot --help --version" -- "$cur")
    return
  fi
  case ${COMP_WORDS[1]} in
    run)
      case $prev in
        --mode) mapfile -t COMPREPLY < <(compgen -W "a1 a2 a3 a4" -- "$cur"); return ;;
        --answer) mapfile -t COMPREPLY < <(compgen -W "Y N" -- "$cur"); return ;;
        --batch) compopt -o filenames; mapfile -t COMPREPLY < <(compgen -d -- "$cur"); return ;;
        --keys | --csv | --plot) compopt -o filenames; mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
      esac
      if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "--mode --keys --batch --csv --plot --answer" -- "$cur")
        return
      fi
      ;;
    check | dump)
      [ "$COMP_CWORD" -eq 2 ] || return
      ;;
    edit) ;;
    plot)
      # A CSV or a run's folder; --model takes a model, --out the figure.
      case $prev in
        --out) compopt -o filenames; mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
        --model) ;;
        *)
          if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--model --out" -- "$cur")
          else
            compopt -o filenames
            mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.csv' -- "$cur")
          fi
          return
          ;;
      esac
      ;;
    *) return ;;
  esac
  compopt -o filenames
  mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.model' -- "$cur")
}
complete -F _movra_note movra-note
