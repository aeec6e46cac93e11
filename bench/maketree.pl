#!/usr/bin/perl
# Builds a benchmark tree, the same bytes on every run (fixed seed, fixed times).
#   maketree.pl mixed DIR   about 4,000 files in nested folders, 0 bytes to 6 MiB
#   maketree.pl many DIR    100,000 files of 0 to 199 bytes in 200 folders
#   maketree.pl small DIR   10,000 small files (about 330 MB, 0 to 64 KiB) in 100 folders
#   maketree.pl game DIR    3,000 game-like files (about 950 MB: textures, sounds, models) in 60 folders
# Prints "FILES BYTES FOLDERS".
use strict;
use warnings;

my ($kind, $root) = @ARGV;
die "usage: maketree.pl mixed|many|small|game DIR\n" unless defined $root && $kind =~ /^(mixed|many|small|game)$/;

my $state = 0x2545F491;    # xorshift32, fixed seed
sub next32 {
    $state = ($state ^ ($state << 13)) & 0xFFFFFFFF;
    $state ^= $state >> 17;
    $state = ($state ^ ($state << 5)) & 0xFFFFFFFF;
    return $state;
}
sub unit { return next32() / 4294967296 }

# File contents are slices of one pseudo-random pool, so nothing compresses or deduplicates.
my $poolSize = 1 << 20;
my $pool = pack('L*', map { next32() } 1 .. $poolSize / 4);

my $fixedTime = 1577880000;    # 2020-01-01 12:00:00 UTC
my ($files, $bytes, $folders) = (0, 0, 0);

sub makeFolder {
    my ($path) = @_;
    mkdir $path or die "$path: $!\n";
    ++$folders;
}

sub writeFile {
    my ($path, $size) = @_;
    open(my $out, '>:raw', $path) or die "$path: $!\n";
    my $at = next32() % $poolSize;
    my $left = $size;
    while ($left > 0) {
        my $chunk = $poolSize - $at < $left ? $poolSize - $at : $left;
        syswrite($out, $pool, $chunk, $at) == $chunk or die "$path: $!\n";
        $left -= $chunk;
        $at = 0;
    }
    close $out or die "$path: $!\n";
    utime $fixedTime, $fixedTime, $path;
    ++$files;
    $bytes += $size;
}

mkdir $root or die "$root: $!\n";

if ($kind eq 'mixed') {
    # 20 top folders, 4 below each, up to 3 below those: depths 1 to 3.
    my @dirs = ('');
    for my $t (0 .. 19) {
        makeFolder("$root/top$t");
        push @dirs, "top$t";
        for my $s (0 .. 3) {
            makeFolder("$root/top$t/sub$s");
            push @dirs, "top$t/sub$s";
            for my $d (0 .. next32() % 4 - 1) {
                makeFolder("$root/top$t/sub$s/deep$d");
                push @dirs, "top$t/sub$s/deep$d";
            }
        }
    }
    my @extensions = qw(txt pbm wav dat tex bin mdl);
    for my $i (0 .. 3999) {
        my $dir = $dirs[next32() % @dirs];
        my $name = sprintf('file%04d.%s', $i, $extensions[next32() % @extensions]);
        # One file in twenty is large (64 KiB to 6 MiB), the rest small (0 to 64 KiB), both log-uniform.
        my $size = next32() % 20 == 0
            ? int(exp(log(65536) + unit() * (log(6 << 20) - log(65536))))
            : int(exp(unit() * log(65536))) - 1;
        writeFile($dir eq '' ? "$root/$name" : "$root/$dir/$name", $size);
    }
} elsif ($kind eq 'small') {
    for my $d (0 .. 99) {
        my $dir = sprintf('%s/dir%03d', $root, $d);
        makeFolder($dir);
        writeFile(sprintf('%s/file%05d.dat', $dir, $_), next32() % 65536) for 0 .. 99;
    }
} elsif ($kind eq 'game') {
    # Mostly 16 to 416 KiB, one in twenty 1 to 3 MiB: about 315 KB on average.
    my @extensions = qw(pbm wav bin tex mdl);
    for my $d (0 .. 59) {
        my $dir = sprintf('%s/art%02d', $root, $d);
        makeFolder($dir);
        for my $i (0 .. 49) {
            my $size = next32() % 20 == 0 ? (1 << 20) + next32() % (2 << 20) : 16384 + next32() % (400 << 10);
            writeFile(sprintf('%s/item%04d.%s', $dir, $d * 50 + $i, $extensions[next32() % @extensions]), $size);
        }
    }
} else {
    for my $d (0 .. 199) {
        my $dir = sprintf('%s/dir%03d', $root, $d);
        makeFolder($dir);
        writeFile(sprintf('%s/entry%05d.dat', $dir, $_), next32() % 200) for 0 .. 499;
    }
}

print "$files $bytes $folders\n";
