#!/bin/bash
# Synthetic speech for the spoken-command recogniser: 16 kHz mono 16-bit WAV
# files and an index.
#
#   make_corpus.sh <out-dir> <set>
#
# <set> is one of
#   tune   voices used only to tune the recogniser's confidence mapping
#   test   a small fixed set for the unit tests
#   bench  the benchmark: voices and variants neither of the others uses
#   latency  for bench_voice_latency: one bench voice clean, and two with
#          pauses between the words
#   voice <engine> <voice> <speed> [variant]
#          every phrase in one voice (engine espeak, espeak1, flite or
#          festival), for measuring a voice alone
#   enrol <engine> <voice> <speed> <sentences-file>
#          the sentences a user reads to teach the recogniser a voice, one
#          file each, indexed in <out-dir>/enrol.tsv (file TAB sentence);
#          bench_voice_commands --prompts lists them
# The three sets never share a voice, so figures measured on bench or test
# are not flattered by constants fitted on tune.
#
# <out-dir>/index.tsv has one line per file:
#   file  kind (command|other|near|silence|noise)  command  phrase  voice  variant
# "near" is a word close to a command that is none (near_phrases.tsv).
# "command" is the expected command name (empty for everything else);
# variant is clean, noisy (white or pink noise mixed in at 15-20 dB SNR),
# slow, fast, pauses (each word said alone, 0.3-0.4 s apart), reverb (a room's echo, sox reverb), quiet (a microphone
# set 20-30 dB too low) or laptop (a band-limited microphone, 300-3400 Hz,
# with its own hiss).
#
# The bench set also holds real human speech that is no command: the
# channel announcements alsa-utils installs (/usr/share/sounds/alsa).
#
# Everything is deterministic: the synthesisers are, and sox runs with -R
# (fixed seeds for noise and dither); noise segments are cut from one long
# recording at offsets that follow from the file's number.
#
# Needs espeak-ng, flite and sox; the bench set also festival with the
# festvox-kdlpc16k voice, espeak and alsa-utils.

set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
commands_file=$here/command_phrases.tsv
others_file=$here/other_phrases.txt
near_file=$here/near_phrases.tsv

usage() {
    echo "usage: $0 <out-dir> tune|test|bench|latency" >&2
    echo "       $0 <out-dir> voice <engine> <voice> <speed> [variant]" >&2
    echo "       $0 <out-dir> enrol <engine> <voice> <speed> <sentences-file>" >&2
    exit 2
}
[ $# -ge 2 ] || usage
out=$1
set_name=$2
shift 2
case $set_name in
    tune|test|bench|latency) [ $# -eq 0 ] || usage ;;
    voice) [ $# -eq 3 ] || [ $# -eq 4 ] || usage ;;
    enrol) [ $# -eq 4 ] && [ -f "$4" ] || usage ;;
    *) usage ;;
esac
one_voice=("$@")
tools=(espeak-ng flite sox)
if [ "$set_name" = bench ] || [ "${one_voice[0]:-}" = festival ] || [ "${one_voice[0]:-}" = espeak1 ]; then
    # The bench set's other voices and recorded speech.
    "$(dirname "$0")/../../scripts/deps.sh" bench
    tools+=(espeak festival)
fi
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
done

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

SOX="sox -R -q -V1"
FORMAT=(-r 16000 -c 1 -b 16 -e signed-integer)

# The phrases, comments and blank lines dropped.
mapfile -t command_lines < <(grep -v '^#' "$commands_file" | grep -v '^[[:space:]]*$')
mapfile -t other_lines < <(grep -v '^#' "$others_file" | grep -v '^[[:space:]]*$')
# The near misses this set speaks (the tune and bench sets have their own).
mapfile -t near_lines < <(grep -v '^#' "$near_file" | awk -F '\t' -v set="$set_name" '$1 == set { print $2 }')

index=$out/index.tsv
printf 'file\tkind\tcommand\tphrase\tvoice\tvariant\n' >"$index"
count=0

# Long noise recordings the noisy copies take their noise from, and their
# RMS level, to mix at a chosen signal-to-noise ratio.
$SOX -n "${FORMAT[@]}" "$work/white.wav" synth 60 whitenoise vol 0.5
$SOX -n "${FORMAT[@]}" "$work/pink.wav" synth 60 pinknoise vol 0.5
rms_of() { sox "$1" -n stat 2>&1 | awk '/^RMS +amplitude/ {print $3}'; }
white_rms=$(rms_of "$work/white.wav")
pink_rms=$(rms_of "$work/pink.wav")

# speak <engine> <voice> <speed> <text> <raw-out>: the synthesiser's output
# as it comes (any rate). Speed is words per minute for espeak-ng and a
# duration stretch for flite (1 = normal, above 1 = slower).
speak() {
    local engine=$1 voice=$2 speed=$3 text=$4 raw=$5
    case $engine in
        espeak) espeak-ng -v "$voice" -s "$speed" -w "$raw" -- "$text" ;;
        flite) flite -voice "$voice" --setf duration_stretch="$speed" -t "$text" -o "$raw" ;;
        espeak1) espeak -v "$voice" -s "$speed" -w "$raw" -- "$text" ;;
        festival) cp "${festival_made[$text]}" "$raw" ;;
    esac
}

# speak_with_pauses <engine> <voice> <speed> <text> <raw-out>: each word
# said alone, the words 0.30, 0.35 or 0.40 s apart, as a speaker who
# hesitates between them.
speak_with_pauses() {
    local engine=$1 voice=$2 speed=$3 text=$4 raw=$5 word k=0 parts=()
    local pause
    pause=$(awk -v n="$count" 'BEGIN { printf "%.2f", 0.30 + (n % 3) * 0.05 }')
    for word in $text; do
        k=$((k + 1))
        speak "$engine" "$voice" "$speed" "$word" "$work/word-raw.wav"
        $SOX "$work/word-raw.wav" "${FORMAT[@]}" "$work/word-$k.wav" \
            silence 1 0.02 0.3% reverse silence 1 0.02 0.3% reverse pad 0 "$pause"
        parts+=("$work/word-$k.wav")
    done
    $SOX "${parts[@]}" "${FORMAT[@]}" "$raw"
}

# festival_prepare <voice> <speed>: festival says every phrase in one run
# (it takes seconds to start), into files speak() then takes.
declare -A festival_made=()
enrol_lines=()
festival_prepare() {
    local voice=$1 speed=$2 scm=$work/festival.scm i=0 line phrase escaped
    printf '(voice_%s)\n(Parameter.set (quote Duration_Stretch) %s)\n' "$voice" "$speed" >"$scm"
    festival_made=()
    for line in "${command_lines[@]}" "${other_lines[@]}" "${near_lines[@]}" "${enrol_lines[@]}"; do
        phrase=${line#*$'\t'}
        i=$((i + 1))
        escaped=${phrase//\\/\\\\}
        escaped=${escaped//\"/\\\"}
        printf '(utt.save.wave (utt.synth (Utterance Text "%s")) "%s" (quote riff))\n' \
            "$escaped" "$work/festival-$i.wav" >>"$scm"
        festival_made[$phrase]=$work/festival-$i.wav
    done
    festival -b "$scm"
}

# add_file <kind> <command> <phrase> <voice-label> <variant> <wav>: moves
# the finished file into place under the next number and indexes it.
add_file() {
    count=$((count + 1))
    local name
    name=$(printf '%s-%04d.wav' "$1" "$count")
    mv "$6" "$out/$name"
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$1" "$2" "$3" "$4" "$5" >>"$index"
}

# utterance <kind> <command> <phrase> <engine> <voice> <speed> <variant> <label>:
# one spoken file. The synthesiser's own leading and trailing silence is
# cut and replaced by the same padding for every voice (0.4 s before, 0.6 s
# after, so the recogniser sees the end of speech), the level set to a
# -6 dB peak, and for the noisy variant noise mixed in.
utterance() {
    local kind=$1 command=$2 phrase=$3 engine=$4 voice=$5 speed=$6 variant=$7 label=$8
    local raw=$work/raw.wav speech=$work/speech.wav final=$work/final.wav
    if [ "$variant" = pauses ]; then
        speak_with_pauses "$engine" "$voice" "$speed" "$phrase" "$raw"
    else
        speak "$engine" "$voice" "$speed" "$phrase" "$raw"
    fi
    shape "$raw" "$speech" "$variant"
    if [ "$variant" = noisy ]; then
        local n=$((count + 1)) noise rms snr offset duration signal factor
        if [ $((n % 2)) -eq 0 ]; then noise=white; rms=$white_rms; else noise=pink; rms=$pink_rms; fi
        snr=$((15 + n % 6))
        # The speech level without the padding, which is silence.
        signal=$(sox "$speech" -n trim 0.4 -0.6 stat 2>&1 | awk '/^RMS +amplitude/ {print $3}')
        duration=$(soxi -D "$speech")
        offset=$(awk -v n="$n" 'BEGIN { printf "%.2f", (n * 1.37) % 50 }')
        factor=$(awk -v s="$signal" -v r="$rms" -v snr="$snr" 'BEGIN { printf "%.6f", s / r / 10 ^ (snr / 20) }')
        $SOX "$work/$noise.wav" "$work/noise.wav" trim "$offset" "$duration"
        $SOX -m -v 1 "$speech" -v "$factor" "$work/noise.wav" "${FORMAT[@]}" "$final"
    else
        mv "$speech" "$final"
    fi
    add_file "$kind" "$command" "$phrase" "$label" "$variant" "$final"
}

# shape <in> <out> <variant>: the synthesiser's own leading and trailing
# silence cut, the same padding for every voice, the level set to a -6 dB
# peak, and what the variant does to the sound on its way to the recogniser.
shape() {
    local in=$1 out=$2 variant=$3 n=$((count + 1))
    local trim=(silence 1 0.02 0.3% reverse silence 1 0.02 0.3% reverse)
    case $variant in
        reverb)
            # Rooms from a small office to a hall: reverberance 40-80 %,
            # room scale 50-100 %, their number following from the file's.
            $SOX "$in" "${FORMAT[@]}" "$out" "${trim[@]}" pad 0 0.4 \
                reverb $((40 + n % 5 * 10)) 50 $((50 + n % 6 * 10)) gain -n -6 pad 0.4 0.2 ;;
        quiet)
            # 20 to 30 dB below the others, over the hiss of the input.
            $SOX "$in" "${FORMAT[@]}" "$work/level.wav" "${trim[@]}" gain -n -6 pad 0.4 0.6 vol -$((20 + n % 11))dB
            $SOX "$work/level.wav" -p synth whitenoise vol 0.0008 |
                $SOX -m -v 1 "$work/level.wav" -v 1 -t sox - "${FORMAT[@]}" "$out" ;;
        laptop)
            # 300-3400 Hz, a little hiss, as a laptop's own microphone.
            $SOX "$in" "${FORMAT[@]}" "$work/band.wav" "${trim[@]}" sinc 300-3400 gain -n -6 pad 0.4 0.6
            $SOX "$work/band.wav" -p synth whitenoise vol 0.004 sinc 300-3400 |
                $SOX -m -v 1 "$work/band.wav" -v 1 -t sox - "${FORMAT[@]}" "$out" ;;
        *)
            $SOX "$in" "${FORMAT[@]}" "$out" "${trim[@]}" gain -n -6 pad 0.4 0.6 ;;
    esac
}

# human <variant>: the recordings of people speaking that a Debian package
# installs, as "other" speech (none of them is a command).
human() {
    local variant=$1 f phrase
    for f in /usr/share/sounds/alsa/*.wav; do
        phrase=$(basename "$f" .wav | tr '_' ' ')
        [ "$phrase" = Noise ] && continue
        shape "$f" "$work/final.wav" "$variant"
        add_file other "" "$phrase" "human:alsa" "$variant" "$work/final.wav"
    done
}

# voice <engine> <voice> <speed> <variant> <which>: every phrase in one
# voice. <which> picks the phrases: "all", or for the small test set
# "first" (each command's first phrase and others 1-6), "second" (each
# command's last phrase and others 7-12).
voice() {
    local engine=$1 name=$2 speed=$3 variant=$4 which=$5
    local label="$engine:$name"
    local previous="" line cmd phrase k=0 first last
    case $which in
        all) first=1; last=${#other_lines[@]} ;;
        first) first=1; last=6 ;;
        second) first=7; last=12 ;;
    esac
    local n=${#command_lines[@]} i
    [ "$engine" = festival ] && festival_prepare "$name" "$speed"
    for ((i = 0; i < n; ++i)); do
        line=${command_lines[i]}
        cmd=${line%%$'\t'*}
        phrase=${line#*$'\t'}
        local next_cmd=""
        [ $((i + 1)) -lt "$n" ] && next_cmd=${command_lines[i + 1]%%$'\t'*}
        case $which in
            first) [ "$cmd" = "$previous" ] && continue ;;
            second) [ "$cmd" = "$next_cmd" ] && { previous=$cmd; continue; } ;;
        esac
        previous=$cmd
        utterance command "$cmd" "$phrase" "$engine" "$name" "$speed" "$variant" "$label"
    done
    for line in "${other_lines[@]}"; do
        k=$((k + 1))
        [ "$k" -ge "$first" ] && [ "$k" -le "$last" ] || continue
        utterance other "" "$line" "$engine" "$name" "$speed" "$variant" "$label"
    done
    if [ "$which" = all ]; then
        for line in "${near_lines[@]}"; do
            utterance near "" "$line" "$engine" "$name" "$speed" "$variant" "$label"
        done
    fi
}

# nonspeech <kind> <description> <sox synth arguments...>: a file without
# speech made by sox alone.
nonspeech() {
    local kind=$1 description=$2
    shift 2
    $SOX -n "${FORMAT[@]}" "$work/final.wav" "$@"
    add_file "$kind" "" "$description" "sox" "clean" "$work/final.wav"
}

# hum <description> <seconds> <volume> <frequencies...>: mains hum, a
# fundamental and its harmonics made one channel each and mixed down.
hum() {
    local description=$1 seconds=$2 volume=$3
    shift 3
    local synth=() f
    for f in "$@"; do synth+=(sine "$f"); done
    $SOX -r 16000 -c $# -n "${FORMAT[@]}" "$work/final.wav" synth "$seconds" "${synth[@]}" remix - vol "$volume"
    add_file noise "" "$description" "sox" "clean" "$work/final.wav"
}

start=$(date +%s.%N)
case $set_name in
tune)
    voice espeak en-us 175 clean all
    voice espeak en-us 175 noisy all
    voice espeak en-gb-scotland 175 clean all
    voice espeak en-gb-scotland 175 noisy all
    voice flite kal16 1 clean all
    voice flite kal16 1 noisy all
    voice flite kal 1 clean all
    voice flite kal 1 noisy all
    nonspeech silence "silence 1 s" trim 0 1
    nonspeech silence "silence 2 s" trim 0 2
    nonspeech silence "quiet room 2 s" synth 2 brownnoise vol 0.003
    nonspeech noise "white noise 2 s" synth 2 whitenoise vol 0.1
    nonspeech noise "pink noise 2 s" synth 2 pinknoise vol 0.15
    hum "hum 50 Hz 2 s" 2 0.3 50 100 150
    nonspeech noise "tone 1 kHz 1.5 s" synth 1.5 sine 1000 vol 0.2 pad 0.3 0.3
    ;;
test)
    voice flite slt 1 clean first
    # en-gb at two speeds: the first half of the phrases slow, the rest fast.
    voice espeak en-gb 150 slow second
    voice espeak en-gb 210 fast first
    nonspeech silence "silence 1.5 s" trim 0 1.5
    nonspeech noise "white noise 1.5 s" synth 1.5 whitenoise vol 0.08
    nonspeech noise "pink noise 1.5 s" synth 1.5 pinknoise vol 0.12
    hum "hum 60 Hz 1.5 s" 1.5 0.3 60 120 180
    ;;
bench)
    voice flite awb 1 clean all
    voice flite awb 1 noisy all
    voice flite rms 1 clean all
    voice flite rms 1 noisy all
    voice flite rms 1.3 slow all
    voice espeak en-us-nyc+m3 175 clean all
    voice espeak en-us-nyc+m3 175 noisy all
    voice espeak en-gb-x-rp+f2 175 clean all
    voice espeak en-gb-x-rp+f2 175 noisy all
    voice espeak en-us-nyc 130 slow all
    voice espeak en-us-nyc 230 fast all
    # Engines, rooms and microphones the tune set has none of.
    voice festival ked_diphone 1 clean all
    voice festival ked_diphone 1 noisy all
    voice festival ked_diphone 1 laptop all
    voice espeak1 en-n+m7 170 clean all
    voice espeak1 en-n+m7 170 reverb all
    voice flite awb 1 reverb all
    voice espeak en-us-nyc+m3 175 reverb all
    voice flite rms 1 quiet all
    voice espeak en-gb-x-rp+f2 175 quiet all
    voice flite awb 1 laptop all
    voice flite awb 1 pauses all
    voice espeak en-us-nyc+m3 175 pauses all
    human clean
    human reverb
    human laptop
    nonspeech silence "silence 1 s" trim 0 1
    nonspeech silence "silence 2 s" trim 0 2
    nonspeech silence "quiet room 1.5 s" synth 1.5 pinknoise vol 0.002
    nonspeech noise "white noise 2 s" synth 2 whitenoise vol 0.05
    nonspeech noise "white noise 1 s loud" synth 1 whitenoise vol 0.3
    nonspeech noise "pink noise 2 s" synth 2 pinknoise vol 0.2
    nonspeech noise "brown noise 2 s" synth 2 brownnoise vol 0.3
    hum "hum 50 Hz 2 s" 2 0.4 50 150 250
    nonspeech noise "tone 440 Hz 1 s" synth 1 sine 440 vol 0.3 pad 0.5 0.5
    nonspeech noise "sweep 300-3000 Hz 2 s" synth 2 sine 300-3000 vol 0.2
    nonspeech noise "noise burst 0.3 s" synth 0.3 whitenoise vol 0.3 pad 0.6 0.8
    ;;
latency)
    voice flite awb 1 clean all
    voice flite awb 1 pauses all
    voice espeak en-us-nyc+m3 175 pauses all
    ;;
voice)
    voice "${one_voice[0]}" "${one_voice[1]}" "${one_voice[2]}" "${one_voice[3]:-clean}" all
    ;;
enrol)
    # Sentences only: the commands and other phrases stay for testing.
    mapfile -t enrol_lines < <(grep -v '^[[:space:]]*$' "${one_voice[3]}")
    command_lines=()
    other_lines=()
    near_lines=()
    [ "${one_voice[0]}" = festival ] && festival_prepare "${one_voice[1]}" "${one_voice[2]}"
    : >"$out/enrol.tsv"
    for line in "${enrol_lines[@]}"; do
        count=$((count + 1))
        speak "${one_voice[0]}" "${one_voice[1]}" "${one_voice[2]}" "$line" "$work/raw.wav"
        shape "$work/raw.wav" "$work/final.wav" clean
        name=$(printf 'enrol-%02d.wav' "$count")
        mv "$work/final.wav" "$out/$name"
        printf '%s\t%s\n' "$name" "$line" >>"$out/enrol.tsv"
    done
    rm -f "$index"
    ;;
esac
end=$(date +%s.%N)
awk -v n="$count" -v s="$start" -v e="$end" -v set="$set_name" -v dir="$out" \
    'BEGIN { printf "%s: %d files in %s (%.1f s)\n", set, n, dir, e - s }'
