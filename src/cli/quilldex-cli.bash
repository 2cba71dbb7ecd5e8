# Bash completion for quilldex-cli. The options are read from the
# program's own --help, so that they are always those of the program
# installed, whichever options it has.
_quilldex_cli()
{
	local cur=${COMP_WORDS[COMP_CWORD]}
	local prev=${COMP_WORDS[COMP_CWORD - 1]}
	local help
	help=$("$1" --help 2>/dev/null) || return
	COMPREPLY=()

	# An option whose help line shows a value name ("-o, --output FILE")
	# takes the next word as its value.
	if [[ $prev == -* && $help =~ (^|[ ,])$prev(,\ --[a-z-]+)?\ ([A-Z]+) ]]; then
		case ${BASH_REMATCH[3]} in
		FILE) COMPREPLY=($(compgen -f -- "$cur")) ;;
		DIR*) COMPREPLY=($(compgen -d -- "$cur")) ;;
		STYLE) COMPREPLY=($(compgen -W 'auto bytes kb mb human' -- "$cur")) ;;
		KEY) COMPREPLY=($(compgen -W 'name natural size time' -- "$cur")) ;;
		N) ;;
		esac
		return
	fi
	if [[ $cur == -* ]]; then
		COMPREPLY=($(compgen -W "$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)" -- "$cur"))
	else
		COMPREPLY=($(compgen -d -- "$cur"))
	fi
}
complete -o filenames -F _quilldex_cli quilldex-cli
