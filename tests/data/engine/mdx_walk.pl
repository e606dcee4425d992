#!/usr/bin/perl
# Prints each tag of an MDX file with its key type, key length and expression, then
# its keys in index order (numeric keys decoded from BCD) with their record numbers.
# Uses only Perl XBase::Index to walk the trees.
use strict; use warnings; use XBase::Index;
my $file = shift or die "usage: $0 file.mdx [TAG...]\n";
my @tags = @ARGV ? @ARGV : (XBase::Index->new($file) or die XBase::Index->errstr)->tags;
open my $fh, '<:raw', $file or die $!;
for my $tag (@tags) {
    my $ix = XBase::Index->new($file, tag => $tag) or die XBase::Index->errstr;
    my $t = $ix->{'tags'}{$tag};
    seek $fh, $t->{'header_page'} * 512 + 24, 0; read $fh, my $expr, 220; $expr =~ s/\0.*//s;
    printf "TAG %s type=%s keylen=%d expr=%s\n", $tag, $t->{'key_type'}, $t->{'key_length'}, $expr;
    $ix->prepare_select;
    while (my ($key, $rec) = $ix->fetch) {
        my $v;
        if ($t->{'key_type'} eq 'N') {
            my ($sig, $info, @b) = unpack 'CCC10', $key; my $nd = ($info >> 2) & 0x1f;
            my $dig = substr(join('', map { sprintf '%02x', $_ } @b), 0, $nd);
            $v = $nd ? ($info & 0x80 ? '-' : '') . "0.${dig}E" . ($sig - 52) : '0';
        } elsif ($t->{'key_type'} eq 'D') { $v = sprintf 'JD %.0f', unpack 'd<', $key }
        else { $v = "'$key'" }
        print "  $v\t$rec\n";
    }
}
