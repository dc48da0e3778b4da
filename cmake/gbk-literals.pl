#!/usr/bin/perl
# Compiler launcher that gives clang GBK narrow literals, as GCC's
# -fexec-charset=GBK does (clang knows only UTF-8): the source file is
# compiled from a copy whose ordinary string and character literals carry
# their non-ASCII characters as octal escapes of the GBK bytes (glibc's
# iconv, as GCC uses). u8, u, U and L literals, comments and everything
# else stay as they are, and so do line numbers: a #line directive keeps
# the original name in diagnostics, __FILE__ and the dependency file.
#
#   gbk-literals.pl [--from=GBK] COMPILER ARGS... -c SOURCE ...
#   gbk-literals.pl --check FILE...
#
# --from=GBK reads sources written in GBK (generated code) rather than
# UTF-8. A source without a non-ASCII literal is compiled as it is. Headers
# are not rewritten, so a non-ASCII literal in a header would stay UTF-8
# under clang: --check names every FILE holding one and fails (the test
# lint.header_literals runs it over the project's headers).
use strict;
use warnings;
use File::Basename qw(dirname);

my $from = 'UTF-8';
if (@ARGV && $ARGV[0] =~ /^--from=(.+)$/) {
    $from = $1;
    shift @ARGV;
}
if (@ARGV && $ARGV[0] eq '--check') {
    shift @ARGV;
    my $found = 0;
    for my $file (@ARGV) {
        open my $fh, '<:raw', $file or die "$file: $!\n";
        my $text = do { local $/; <$fh> };
        close $fh;
        my @runs;
        rewrite($text, \@runs);
        next unless @runs;
        print STDERR "$file: a narrow literal holds non-ASCII text; move it into a .cpp file\n";
        $found = 1;
    }
    exit $found;
}
my @command = @ARGV;
die "usage: gbk-literals.pl [--from=CHARSET] COMPILER ARGS...\n" unless @command;

my ($source_at, $object, $depfile);
for my $i (0 .. $#command - 1) {
    $source_at = $i + 1 if $command[$i] eq '-c';
    $object = $command[$i + 1] if $command[$i] eq '-o';
    $depfile = $command[$i + 1] if $command[$i] eq '-MF';
}
exec @command or die "cannot run $command[0]: $!\n" unless defined $source_at && defined $object;

my $source = $command[$source_at];
open my $in, '<:raw', $source or die "$source: $!\n";
my $text = do { local $/; <$in> };
close $in;
exec @command or die "cannot run $command[0]: $!\n" unless $text =~ /[\x80-\xFF]/;

my $copy = "$object.gbk.cpp";
# Read as UTF-8 whatever it was written in: a GBK byte may look like a
# backslash.
$text = convert($text, $from, 'UTF-8') if $from ne 'UTF-8';
# Every byte run to convert, collected first: one iconv call per file.
my @runs;
my $rewritten = rewrite($text, \@runs);
exec @command or die "cannot run $command[0]: $!\n" unless @runs || $from ne 'UTF-8';
my @gbk = @runs ? split(/\n/, convert(join("\n", @runs), 'UTF-8', 'GBK'), -1) : ();
die "$source: literals changed in conversion\n" unless @gbk == @runs;
$rewritten =~ s/\x00(\d+)\x00/octal($gbk[$1])/ge;

open my $out, '>:raw', $copy or die "$copy: $!\n";
(my $shown = $source) =~ s/(["\\])/\\$1/g;
print $out "#line 1 \"$shown\"\n", $rewritten;
close $out or die "$copy: $!\n";

# Quoted includes are looked up beside the source, not beside the copy.
my @run = @command;
$run[$source_at] = $copy;
splice @run, $source_at - 1, 0, '-iquote', dirname($source);
my $status = system @run;
die "cannot run $run[0]: $!\n" if $status == -1;
if (defined $depfile && -e $depfile) {
    open my $d, '<:raw', $depfile or die "$depfile: $!\n";
    my $deps = do { local $/; <$d> };
    close $d;
    $deps =~ s/\Q$copy\E/$source/g;
    open $d, '>:raw', $depfile or die "$depfile: $!\n";
    print $d $deps;
    close $d or die "$depfile: $!\n";
}
unlink $copy;
exit($status == 0 ? 0 : ($status >> 8) || 1);

# The text with each ordinary literal's non-ASCII runs replaced by
# "\0<index>\0" (NUL appears in no source), the runs pushed to @$runs.
sub rewrite {
    my ($text, $runs) = @_;
    my $out = '';
    pos($text) = 0;
    while (pos($text) < length $text) {
        if ($text =~ /\G(\/\/(?:\\\n|[^\n])*)/gc) {                  # line comment
            $out .= $1;
        } elsif ($text =~ /\G(\/\*.*?\*\/)/gcs) {                     # block comment
            $out .= $1;
        } elsif ($text =~ /\G(#[ \t]*include[ \t]*[<"][^>"\n]*[>"])/gc) {
            $out .= $1;
        } elsif ($text =~ /\G((?:u8|u|U|L)?R)"([^()\\\s"]{0,16})\(/gc) {  # raw string
            my ($prefix, $delim) = ($1, $2);
            $text =~ /\G(.*?)\)\Q$delim\E"/gcs or die "unterminated raw string\n";
            my $body = $1;
            if ($prefix ne 'R' || $body !~ /[\x80-\xFF]/) {
                $out .= "$prefix\"$delim($body)$delim\"";
                next;
            }
            # Split around each run: adjacent literals are joined.
            my @parts;
            for my $part (split /([\x80-\xFF]+)/, $body) {
                next if $part eq '';
                if ($part =~ /^[\x80-\xFF]/) {
                    push @$runs, $part;
                    push @parts, "\"\x00$#$runs\x00\"";
                } else {
                    push @parts, "R\"$delim($part)$delim\"";
                }
            }
            $out .= join ' ', @parts;
        } elsif ($text =~ /\G((?:u8|u|U|L)?)(["'])/gc) {              # string, character
            my ($prefix, $quote) = ($1, $2);
            $text =~ /\G((?:[^\Q$quote\E\\\n]|\\.)*)\Q$quote\E/gcs
                or die "unterminated literal\n";
            my $body = $1;
            if ($prefix eq '') {
                $body =~ s/([\x80-\xFF]+)/push @$runs, $1; "\x00$#$runs\x00"/ge;
            }
            $out .= "$prefix$quote$body$quote";
        } elsif ($text =~ /\G([A-Za-z_]\w*|\.?\d(?:[eEpP][+-]|'?[\w.])*)/gc) {
            $out .= $1;                                                # name, number
        } else {
            $text =~ /\G(.)/gcs;
            $out .= $1;
        }
    }
    return $out;
}

# glibc's iconv, as GCC converts; a character without a form in `to`
# fails the compile.
sub convert {
    my ($text, $charset, $to) = @_;
    my $file = "$copy.in";
    open my $fh, '>:raw', $file or die "$file: $!\n";
    print $fh $text;
    close $fh or die "$file: $!\n";
    open my $iconv, '-|:raw', 'iconv', '-f', $charset, '-t', $to, $file
        or die "cannot run iconv: $!\n";
    my $converted = do { local $/; <$iconv> };
    my $ok = close $iconv;
    unlink $file;
    die "$source: text without a $to form\n" unless $ok;
    return $converted;
}

sub octal {
    return join '', map { sprintf '\\%03o', ord } split //, shift;
}
