#!/usr/bin/perl
# Lists one tag of an index file in key order, one "hex-of-key<TAB>record" line per entry,
# as Perl's XBase::Index reads it.
use strict;
use warnings;
use XBase::Index;

my ($file, $tag) = @ARGV;
my $idx = XBase::Index->new($file, 'tag' => $tag) or die XBase::Index->errstr;
$idx->prepare_select;
while (my ($key, $recno) = $idx->fetch) {
    print unpack('H*', $key), "\t", $recno, "\n";
}
