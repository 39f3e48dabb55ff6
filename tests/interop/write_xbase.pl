# Writes perl.dbf / perl.dbt: a dBASE IV table with memos, as Perl XBase writes it.
# The optional argument is the version passed to create: 0x8B (the default) or 4, which marks the
# table 0x84 and still writes a dBASE IV memo file.
# Memo text of record i (0-based) and length n: letters 'A' + (k * 7 + i) % 26 for k < n.
use strict;
use warnings;
use XBase;

my $version = @ARGV ? oct($ARGV[0]) : 0x8B;
my $t = XBase->create(
    name           => 'perl.dbf',
    version        => $version,
    field_names    => [ 'NAME', 'AMOUNT', 'WHEN', 'OK', 'NOTE' ],
    field_types    => [ 'C', 'N', 'D', 'L', 'M' ],
    field_lengths  => [ 10, 10, 8, 1, 10 ],
    field_decimals => [ 0, 2, 0, 0, 0 ],
) or die XBase->errstr;

sub memo {
    my ($i, $n) = @_;
    return join '', map { chr(ord('A') + ($_ * 7 + $i) % 26) } 0 .. $n - 1;
}

my @rows = (
    [ 'ADAMS', 1234.5,   '20240315', 1,     0 ],
    [ 'BAKER', -0.75,    '',         0,     1 ],
    [ 'CLARK', 0,        '19991231', undef, 511 ],
    [ 'DAVIS', 99999.99, '20000229', 1,     512 ],
    [ 'EVANS', -1,       '21001231', 0,     513 ],
    [ 'FRANK', 0.01,     '19000101', 1,     5000 ],
    [ 'GREEN', 12,       '20240101', 0,     20 ],
    [ 'HIDDEN', 5,       '20240101', 1,     3 ],
);
for my $i (0 .. $#rows) {
    my ($name, $amount, $when, $ok, $n) = @{ $rows[$i] };
    $t->set_record($i, $name, $amount, $when, $ok, $n ? memo($i, $n) : '')
        or die $t->errstr;
}
$t->delete_record(7) or die $t->errstr;
$t->close or die $t->errstr;
